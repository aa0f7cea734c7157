<?xml version="1.0" encoding="UTF-8"?>
<!-- The help list: the site's help topics, and the reports sent from this e-mail address. -->
<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform">
  <xsl:import href="layout.xsl"/>
  <xsl:variable name="list" select="/helplist"/>
  <xsl:variable name="topics" select="document('../help/topics.xml')/topics/topic"/>

  <xsl:template match="/">
    <xsl:call-template name="layout">
      <xsl:with-param name="title" select="'Help'"/>
      <xsl:with-param name="section" select="'Support'"/>
      <xsl:with-param name="lead" select="'Answers to common questions, and the state of your reports.'"/>
    </xsl:call-template>
  </xsl:template>

  <xsl:template match="/" mode="content">
    <p>
      <a href="/vantrel/ui/support.jsp?platform=linux&amp;email={$list/@email}">Report a problem</a> ·
      <a href="/vantrel/ui/request.jsp?email={$list/@email}">Request a feature</a>
    </p>
    <xsl:if test="string($list/@email)">
      <h2>Your reports</h2>
      <xsl:choose>
        <xsl:when test="$list/report">
          <table>
            <tr><th>Number</th><th>Kind</th><th>Summary</th><th>Received</th></tr>
            <xsl:for-each select="$list/report">
              <tr>
                <td><xsl:value-of select="@number"/></td>
                <td><xsl:choose><xsl:when test="@kind = 'bug'">problem</xsl:when><xsl:otherwise>feature</xsl:otherwise></xsl:choose></td>
                <td><xsl:value-of select="summary"/></td>
                <td><xsl:value-of select="translate(received, 'TZ', ' ')"/></td>
              </tr>
            </xsl:for-each>
          </table>
        </xsl:when>
        <xsl:otherwise><p class="muted">No reports from <xsl:value-of select="$list/@email"/> yet.</p></xsl:otherwise>
      </xsl:choose>
    </xsl:if>
    <h2>Questions</h2>
    <xsl:for-each select="$topics">
      <h3 id="{@id}"><xsl:value-of select="@title"/></h3>
      <xsl:copy-of select="node()"/>
    </xsl:for-each>
  </xsl:template>
</xsl:stylesheet>
