<?xml version="1.0" encoding="UTF-8"?>
<!-- The component-testing upload page: a form for a JAR, and after an upload the classes it
     holds and the catalogued components they belong to. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="catalogue.xsl"/>
  <xsl:variable name="upload" select="/upload"/>
  <xsl:variable name="catalogue" select="document('../stores/components/vendors/components.bnd')/components"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="'Component testing'"/>
      <xsl:with-param name="section" select="'Testing'"/>
      <xsl:with-param name="lead" select="'Upload a JAR file to see the classes it holds and the catalogued components it contains.'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <form class="report" action="/vantrel/testtab/upload.jsp" method="post" enctype="multipart/form-data">
      <label for="archive">JAR or ZIP file</label>
      <input type="file" id="archive" name="archive" accept=".jar,.zip"/>
      <xsl:text> </xsl:text><button type="submit">Upload</button>
    </form>
    <xsl:if test="$upload/@problem">
      <p class="notice"><xsl:value-of select="$upload/@problem"/></p>
    </xsl:if>
    <xsl:if test="$upload/classes">
      <h2><xsl:value-of select="$upload/@file"/></h2>
      <p class="muted"><xsl:value-of select="$upload/@size"/> bytes, <xsl:value-of select="$upload/@entries"/> entries,
        <xsl:value-of select="count($upload/classes/class)"/> classes.</p>
      <h2>Catalogued components</h2>
      <xsl:choose>
        <xsl:when test="$upload/components/component">
          <table>
            <tr><th>Component</th><th>Vendor</th><th>Classes found</th></tr>
            <xsl:for-each select="$upload/components/component">
              <xsl:variable name="entry" select="$catalogue/component[@SCID = current()/@SCID]"/>
              <tr>
                <td><a href="/xql.dll/components/vendors/components.bnd?xslsheet=components:/vendors/xsl/rm/component-overview.xsl&amp;xmlpage=components/vendors/components.bnd&amp;scid={@SCID}"><xsl:value-of select="$entry/componentName"/></a></td>
                <td><xsl:value-of select="$entry/vendor"/></td>
                <td><xsl:value-of select="@classes"/> of <xsl:value-of select="$entry/classCount"/></td>
              </tr>
            </xsl:for-each>
          </table>
        </xsl:when>
        <xsl:otherwise><p class="muted">None of its classes belongs to a catalogued component.</p></xsl:otherwise>
      </xsl:choose>
      <h2>Classes</h2>
      <ul class="columns">
        <xsl:for-each select="$upload/classes/class">
          <li><code><xsl:value-of select="."/></code></li>
        </xsl:for-each>
      </ul>
    </xsl:if>
  </xsl:template>
</xsl:stylesheet>
